#include "workflow/entry_router.h"

#include <algorithm>
#include <utility>

EntryRouter::EntryRouter(const PackageManifest& manifest, std::vector<size_t> entries, OutputFactory factory)
    : factory_(std::move(factory)) {
  for (size_t index : entries) {
    if (index >= manifest.entries.size()) continue;
    const ManifestEntry& entry = manifest.entries[index];
    Slot slot;
    slot.index = index;
    slot.name = entry.name;
    slot.begin = entry.dataOffset;
    slot.end = entry.dataOffset + entry.compressedSize;
    slots_.push_back(std::move(slot));
  }
  std::sort(slots_.begin(), slots_.end(), [](const Slot& a, const Slot& b) { return a.begin < b.begin; });
}

void EntryRouter::Feed(uint64_t offset, const char* data, size_t size) {
  if (size == 0) return;
  uint64_t stop = offset + size;
  // The first entry whose data end after `offset`: data ranges do not overlap,
  // so the ends are ordered like the beginnings.
  auto first = std::upper_bound(slots_.begin(), slots_.end(), offset,
                                [](uint64_t value, const Slot& slot) { return value < slot.end; });
  for (auto it = first; it != slots_.end() && it->begin < stop; ++it) {
    Slot& slot = *it;
    if (slot.outcome != Outcome::kPending) continue;
    uint64_t from = std::max(offset, slot.begin);
    uint64_t to = std::min(stop, slot.end);
    if (from - slot.begin != slot.given) {
      // A gap or bytes again: the entry cannot be trusted to be whole.
      slot.outcome = Outcome::kFailed;
      slot.error = "entry " + slot.name + " bytes out of order";
      slot.output.reset();
      continue;
    }
    if (!slot.output) {
      slot.output = factory_(slot.index, &slot.error);
      if (!slot.output) {
        slot.outcome = Outcome::kFailed;
        continue;
      }
    }
    if (!slot.output->Add(data + (from - offset), static_cast<size_t>(to - from), &slot.error)) {
      slot.outcome = slot.output->DataFault() ? Outcome::kChecksumMismatch : Outcome::kFailed;
      if (slot.error.empty()) slot.error = "entry " + slot.name + " cannot be written";
      slot.output.reset();
      continue;
    }
    slot.given += to - from;
    routed_ += to - from;
    if (slot.begin + slot.given == slot.end) Close(slot);
  }
}

void EntryRouter::Close(Slot& slot) {
  if (!slot.output) {
    slot.output = factory_(slot.index, &slot.error);
    if (!slot.output) {
      slot.outcome = Outcome::kFailed;
      return;
    }
  }
  std::string error;
  if (slot.output->Finish(&error)) {
    slot.outcome = Outcome::kWritten;
  } else {
    slot.outcome = slot.output->DataFault() ? Outcome::kChecksumMismatch : Outcome::kFailed;
    slot.error = std::move(error);
  }
  slot.output.reset();
}

void EntryRouter::FinishAll() {
  for (Slot& slot : slots_) {
    if (slot.outcome != Outcome::kPending) continue;
    if (slot.begin == slot.end) {
      Close(slot);
      continue;
    }
    slot.outcome = Outcome::kFailed;
    slot.error = "entry " + slot.name + " incomplete";
    slot.output.reset();  // the writer removes its temporary file
  }
}

const EntryRouter::Slot* EntryRouter::Find(size_t index) const {
  for (const Slot& slot : slots_)
    if (slot.index == index) return &slot;
  return nullptr;
}

EntryRouter::Outcome EntryRouter::OutcomeOf(size_t index) const {
  const Slot* slot = Find(index);
  return slot ? slot->outcome : Outcome::kPending;
}

const std::string& EntryRouter::ErrorOf(size_t index) const {
  static const std::string kNone;
  const Slot* slot = Find(index);
  return slot ? slot->error : kNone;
}

std::vector<size_t> EntryRouter::With(Outcome outcome) const {
  std::vector<size_t> indices;
  for (const Slot& slot : slots_)
    if (slot.outcome == outcome) indices.push_back(slot.index);
  std::sort(indices.begin(), indices.end());
  return indices;
}

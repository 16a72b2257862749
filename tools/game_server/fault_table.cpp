#include "fault_table.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool ReadInt(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end || v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

std::string Fault::Describe() const {
  std::string d;
  auto add = [&d](const std::string& item) { d += (d.empty() ? "" : ",") + item; };
  if (status) add("status=" + std::to_string(status));
  if (delayMs) add("delay_ms=" + std::to_string(delayMs));
  if (dropAfter >= 0) add("drop_after=" + std::to_string(dropAfter));
  if (ignoreRange) add("ignore_range=1");
  if (noValidators) add("no_validators=1");
  if (shiftRange) add("shift_range=" + std::to_string(shiftRange));
  if (!redirect.empty()) add("redirect=" + redirect);
  if (rate) add("rate=" + std::to_string(rate));
  if (stallAfter >= 0) add("stall_after=" + std::to_string(stallAfter));
  if (endless) add("endless=1");
  add("times=" + std::to_string(times));
  return d;
}

bool ParseFault(const std::map<std::string, std::string>& params, Fault& fault,
                std::string& error) {
  fault = Fault();
  bool any = false;
  for (const auto& [key, value] : params) {
    int64_t n = 0;
    if (key == "path") {
      continue;
    } else if (key == "status") {
      if (!ReadInt(value, 100, 599, n)) return error = "status must be 100..599", false;
      fault.status = static_cast<int>(n);
    } else if (key == "delay_ms") {
      if (!ReadInt(value, 0, kMaxFaultDelayMs, n))
        return error = "delay_ms must be 0.." + std::to_string(kMaxFaultDelayMs), false;
      fault.delayMs = static_cast<int>(n);
    } else if (key == "drop_after") {
      if (!ReadInt(value, 0, INT64_MAX, n)) return error = "drop_after must be a byte count", false;
      fault.dropAfter = n;
    } else if (key == "ignore_range") {
      fault.ignoreRange = value == "1";
    } else if (key == "no_validators") {
      fault.noValidators = value == "1";
    } else if (key == "shift_range") {
      if (!ReadInt(value, 1, INT64_MAX, n)) return error = "shift_range must be a byte count", false;
      fault.shiftRange = n;
    } else if (key == "redirect") {
      if (value.empty()) return error = "redirect needs a target", false;
      fault.redirect = value;
    } else if (key == "rate") {
      if (!ReadInt(value, 1024, INT64_MAX, n)) return error = "rate must be >= 1024 bytes/s", false;
      fault.rate = n;
    } else if (key == "stall_after") {
      if (!ReadInt(value, 0, INT64_MAX, n)) return error = "stall_after must be a byte count", false;
      fault.stallAfter = n;
    } else if (key == "endless") {
      fault.endless = value == "1";
    } else if (key == "times") {
      if (!ReadInt(value, 0, kMaxFaultTimes, n))
        return error = "times must be 0.." + std::to_string(kMaxFaultTimes), false;
      fault.times = static_cast<int>(n);
      continue;
    } else {
      return error = "unknown parameter: " + key, false;
    }
    any = true;
  }
  if (!any) return error = "no fault given", false;
  return true;
}

void FaultTable::Add(const std::string& path, const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[path].push_back(fault);
}

bool FaultTable::Take(const std::string& path, Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = faults_.find(path);
  if (it == faults_.end() || it->second.empty()) return false;
  Fault& head = it->second.front();
  fault = head;
  if (head.times > 0 && --head.times == 0) {
    it->second.pop_front();
    if (it->second.empty()) faults_.erase(it);
  }
  return true;
}

void FaultTable::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

std::string FaultTable::List() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const auto& [path, queue] : faults_)
    for (const Fault& f : queue) text += path + "\t" + f.Describe() + "\n";
  return text;
}

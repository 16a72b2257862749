#pragma once
// What one tick of a workflow state decided: stay, finish (by one of its
// named ways out), fail with the message the player sees, or hand over to a
// given state. The run plan (workflow/run_plan.h) turns a finished or failed
// state into the one that follows.
#include <memory>
#include <string>
#include <utility>

class State;

// How a state finished, where it has more than one way out.
enum class Exit {
  kDone,
  kUpToDate,      // the package version: the installed game is current
  kNeedsChecksum,  // the package download: a published checksum must match first
  kWholePackage,   // the update by entries: the whole package is to be downloaded instead
  kWholeBody       // the update by entries: the server sent the whole package, now downloaded
};

class Transition {
 public:
  enum class Kind { kStay, kDone, kFail, kTo, kEnd };

  static Transition Stay() { return Transition(Kind::kStay); }
  static Transition Done(Exit exit = Exit::kDone) {
    Transition t(Kind::kDone);
    t.exit_ = exit;
    return t;
  }
  // `message` is already logged; it is what the error box shows.
  static Transition Fail(std::string message) {
    Transition t(Kind::kFail);
    t.message_ = std::move(message);
    return t;
  }
  static Transition To(std::unique_ptr<State> next);
  // The run is over: the state is freed and none follows.
  static Transition End() { return Transition(Kind::kEnd); }

  Transition(Transition&&) noexcept;
  Transition& operator=(Transition&&) noexcept;
  ~Transition();

  Kind kind() const { return kind_; }
  Exit exit() const { return exit_; }
  const std::string& message() const { return message_; }
  std::unique_ptr<State> TakeNext();

 private:
  explicit Transition(Kind kind) : kind_(kind) {}

  Kind kind_;
  Exit exit_ = Exit::kDone;
  std::string message_;
  std::unique_ptr<State> next_;
};

// What the window logic needs from the person in front of it: questions and
// messages, file choices, the wait cursor. The windows answer with Qt dialogs,
// the console tool and the tests with scripts. All texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

struct FileChoice {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  std::string title;
  // Pairs of a label and a pattern, e.g. {".db", "*.db"}.
  std::vector<std::pair<std::string, std::string>> filters;
  std::string defaultExtension;  // without the dot; empty for none
  bool confirmOverwrite = false;
  // An Open dialog that takes only files that exist; otherwise a new name may
  // be typed (opening a database file that is not there creates it).
  bool mustExist = false;
  // A name under which the chosen file is remembered between runs and proposed
  // the next time ("database", "report"); empty: only its folder is remembered.
  std::string remember;
  // A file name (without folder) the dialog proposes, e.g. "shop.xlsx"; empty: none.
  std::string proposedName;
};

class Operator {
 public:
  virtual ~Operator() = default;

  // A message box; returns the button pressed (Ok for a plain message).
  virtual Answer Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) = 0;

  // A file dialog; nullopt when the person cancelled it.
  virtual std::optional<std::string> ChooseFile(const FileChoice& choice) = 0;

  // The wait cursor, shown while a register exchange or a converter run blocks.
  virtual void BeginWait() {}
  virtual void EndWait() {}

  void Tell(const std::string& text, MessageIcon icon) { Ask(text, {}, MessageButtons::Ok, icon); }
};

// Shows the wait cursor for the lifetime of the object.
class WaitCursor {
 public:
  explicit WaitCursor(Operator& op) : op_(op) { op_.BeginWait(); }
  ~WaitCursor() { op_.EndWait(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Operator& op_;
};

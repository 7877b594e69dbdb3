#pragma once

namespace kalvane {
class TProjectDocument;
}

namespace kalvane::ui {

class IWindowDialogs;

// The item list's commands on the current item or on all of them: delete
// (asked first), order, turn, and which items the monochrome display
// shows. Each change is one step of the document's history.
class TItemCommands {
 public:
  TItemCommands(TProjectDocument& document, IWindowDialogs& dialogs)
      : Document(document), Dialogs(dialogs) {}

  void DeleteItem();
  void DeleteAll();
  void MoveUp();
  void MoveDown();
  void Reverse();
  // A quarter turn of every item, to the left or right.
  void RotateLeft();
  void RotateRight();
  void ShowAllInMono();
  void ShowNoneInMono();
  void ShowNeighboursInMono();

 private:
  void Rotate(int hundredths);

  TProjectDocument& Document;
  IWindowDialogs& Dialogs;
};

}  // namespace kalvane::ui

#pragma once

#include <memory>
#include <string>

namespace kalvane {

class TProjectDocument;

// One change to what the project file holds, already made when it is
// recorded; it can be taken back and made again through the document's own
// operations.
class TEditStep {
 public:
  virtual ~TEditStep() = default;
  // What the user did, as the undo command names it ("画像移動").
  virtual std::string Name() const = 0;
  virtual void Undo(TProjectDocument& document) = 0;
  virtual void Redo(TProjectDocument& document) = 0;
  // Steps of one kind (not -1) may take a later step into themselves; the
  // step decides, the history asks it only where no save point lies
  // between them.
  virtual int MergeKind() const { return -1; }
  virtual bool MergeWith(const TEditStep&) { return false; }
};

// Where the document pushes its steps. The editor's undo stack is the one
// history that keeps, merges and limits them; without an editor the
// document keeps only whether it still equals its file.
class IEditHistory {
 public:
  virtual ~IEditHistory() = default;
  virtual void Push(std::unique_ptr<TEditStep> step) = 0;
  // Forgets every step; the empty history is the save point.
  virtual void Clear() = 0;
  // The project as it is now is the one in its file.
  virtual void SetSavePoint() = 0;
  // The project differs from every state the history can go back to.
  virtual void DropSavePoint() = 0;
  virtual bool AtSavePoint() const = 0;
};

// The most steps the editor's history keeps; the oldest go first.
inline constexpr int kHistoryLimit = 200;

// The command line's: nothing is undone there, so a step only marks the
// project as changed and is dropped.
class TChangeMark : public IEditHistory {
 public:
  void Push(std::unique_ptr<TEditStep> step) override {
    if (step) Saved = false;
  }
  void Clear() override { Saved = true; }
  void SetSavePoint() override { Saved = true; }
  void DropSavePoint() override { Saved = false; }
  bool AtSavePoint() const override { return Saved; }

 private:
  bool Saved = true;
};

}  // namespace kalvane

#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

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
  // Steps of one kind (not -1) may take a later step into themselves.
  virtual int MergeKind() const { return -1; }
  virtual bool MergeWith(const TEditStep&) { return false; }
};

// Where the document records its steps: the editor's undo stack, or
// TStepHistory without a window.
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

// The most steps a history keeps; the oldest go first.
inline constexpr int kHistoryLimit = 200;

// A history without a window: the command line, and the tests of the steps.
class TStepHistory : public IEditHistory {
 public:
  explicit TStepHistory(TProjectDocument* document = nullptr) : Doc(document) {}
  void SetDocument(TProjectDocument* document) { Doc = document; }
  void Push(std::unique_ptr<TEditStep> step) override;
  void Clear() override;
  void SetSavePoint() override { SavePoint = Index; }
  void DropSavePoint() override { SavePoint = -1; }
  bool AtSavePoint() const override { return SavePoint == Index; }
  bool CanUndo() const { return Index > 0; }
  bool CanRedo() const { return Index < static_cast<int>(Steps.size()); }
  void Undo();
  void Redo();
  int Count() const { return static_cast<int>(Steps.size()); }
  int CurrentIndex() const { return Index; }
  std::string UndoName() const;

 private:
  TProjectDocument* Doc = nullptr;
  std::vector<std::unique_ptr<TEditStep>> Steps;
  int Index = 0;
  int SavePoint = 0;
};

}  // namespace kalvane

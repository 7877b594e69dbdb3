#pragma once

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "project/Commands.h"

namespace kalvane::ui {

// The editor's commands as actions, one a command id. Menus show the
// actions, buttons show them with setDefaultAction, and Update() enables
// every one of them (and the controls bound to an id) from the state.
class TActionRegistry {
 public:
  explicit TActionRegistry(QObject* owner) : Owner(owner) {}

  // The command's action; `name` is its object name (for tests and
  // accessibility).
  QAction& Add(TCommandId id, const char* name, const QString& caption,
               const QList<QKeySequence>& keys = {});
  // A toggle: a checkable action.
  QAction& AddToggle(TCommandId id, const char* name, const QString& caption,
                     const QList<QKeySequence>& keys, bool checked);
  // What triggering the command does; for a toggle, what follows its state
  // (also when it is set by the program).
  void On(TCommandId id, std::function<void()> run);
  void OnToggled(TCommandId id, std::function<void(bool)> set);
  // A menu's own action, enabled as the command says.
  void AddMenu(TCommandId id, QAction* menuAction);
  // Another control of the command (a popup's item, a slider), enabled
  // with it.
  void Bind(TCommandId id, QObject* control);

  QAction& Action(TCommandId id) const;
  void Update(const TCommandContext& context) const;

 private:
  static std::size_t Index(TCommandId id) { return static_cast<std::size_t>(id); }
  QObject* Owner = nullptr;
  std::array<QAction*, static_cast<std::size_t>(TCommandId::Count)> Actions{};
  std::vector<std::pair<TCommandId, QObject*>> Bound;
};

}  // namespace kalvane::ui

#include "ui/ActionRegistry.h"

#include <QWidget>
#include <stdexcept>

namespace kalvane::ui {

QAction& TActionRegistry::Add(TCommandId id, const char* name, const QString& caption,
                              const QList<QKeySequence>& keys) {
  if (Actions[Index(id)]) throw std::logic_error(std::string("a second action for ") + name);
  auto* action = new QAction(caption, Owner);
  action->setObjectName(name);
  if (!keys.isEmpty()) action->setShortcuts(keys);
  Actions[Index(id)] = action;
  return *action;
}

QAction& TActionRegistry::AddToggle(TCommandId id, const char* name, const QString& caption,
                                    const QList<QKeySequence>& keys, bool checked) {
  QAction& action = Add(id, name, caption, keys);
  action.setCheckable(true);
  action.setChecked(checked);
  return action;
}

void TActionRegistry::On(TCommandId id, std::function<void()> run) {
  QObject::connect(&Action(id), &QAction::triggered, Owner, [run = std::move(run)] { run(); });
}

void TActionRegistry::OnToggled(TCommandId id, std::function<void(bool)> set) {
  QObject::connect(&Action(id), &QAction::toggled, Owner, std::move(set));
}

void TActionRegistry::AddMenu(TCommandId id, QAction* menuAction) {
  Actions[Index(id)] = menuAction;
}

void TActionRegistry::Bind(TCommandId id, QObject* control) {
  Bound.emplace_back(id, control);
}

QAction& TActionRegistry::Action(TCommandId id) const {
  QAction* action = Actions[Index(id)];
  if (!action) throw std::logic_error("a command without its action");
  return *action;
}

void TActionRegistry::Update(const TCommandContext& context) const {
  for (std::size_t i = 0; i < Actions.size(); ++i) {
    if (Actions[i]) Actions[i]->setEnabled(IsCommandEnabled(static_cast<TCommandId>(i), context));
  }
  for (const auto& [id, control] : Bound) {
    const bool on = IsCommandEnabled(id, context);
    if (auto* action = qobject_cast<QAction*>(control)) {
      action->setEnabled(on);
    } else if (auto* widget = qobject_cast<QWidget*>(control)) {
      widget->setEnabled(on);
    }
  }
}

}  // namespace kalvane::ui

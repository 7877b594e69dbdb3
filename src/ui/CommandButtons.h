#pragma once

#include <QIcon>
#include <QStyle>

class QAction;
class QToolButton;
class QWidget;

namespace kalvane::ui {

// Buttons that show a command's action: enabled, checked and run with it.

// An icon button; the action takes the icon and the hint.
QToolButton* CommandButton(QWidget* parent, const char* name, const char* hint, const QIcon& icon,
                           QAction& action);
// A toggle's button, filled while it is on, with a caption of its own.
QToolButton* ToggleButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                          QAction& action);
// A button with a caption of its own (the menu item's has a key).
QToolButton* CaptionButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                           QAction& action);

// A three-quarter circle ending in an arrowhead: a turn of the photos, not
// a step through them (which plain arrows suggest).
QIcon RotationIcon(bool clockwise);
QIcon StandardIcon(QStyle::StandardPixmap pixmap);

}  // namespace kalvane::ui

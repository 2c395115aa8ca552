#pragma once
// Where the windows of the lab hook into the main window: its context
// menus (the graph's and the rule table's), the window that files are
// dropped on and dialogs belong to, and the graph whose tooltip tells what
// is loaded. The main window hands one out; the windows never see it
// otherwise.

class QMenu;
class QWidget;

namespace tervalo {

struct MenuHost {
    QWidget *window = nullptr;
    QMenu *graphMenu = nullptr;
    QMenu *ruleTableMenu = nullptr;
    QWidget *graph = nullptr;
};

} // namespace tervalo

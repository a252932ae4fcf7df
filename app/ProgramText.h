#ifndef TRESSMOOR_APP_PROGRAMTEXT_H
#define TRESSMOOR_APP_PROGRAMTEXT_H

#include <string>

// What each menu of the bar holds, in the bar's order: the menu bar's tooltip
// and the program's --help both say it from here.
struct MenuSummary {
    const char* menu;
    const char* summary;
};
constexpr int kMenuCount = 6;
extern const MenuSummary kMenuSummaries[kMenuCount];

// The bar's tooltip: "Menu: summary." a line each.
std::string menuBarTooltip();

// What tressmoor --help prints: the program, its menus, the companion tools
// and the options.
std::string programHelp();

#endif

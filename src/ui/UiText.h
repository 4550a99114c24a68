#pragma once

#include <string>

#include <QString>

namespace dravik::ui {

// The core speaks Windows-1251; Qt speaks Unicode. These are the only crossings.
QString FromCp1251(const std::string& cp1251);

// Text of the core for a label: the core ends lines with CR LF, a label breaks at LF alone.
QString LabelText(const std::string& cp1251);

// A message of the core as the user sees it: with its full stop, lines broken at LF.
QString ShownMessage(const std::string& message);

// Characters that Windows-1251 cannot hold become "?".
std::string ToCp1251(const QString& text);

} // namespace dravik::ui

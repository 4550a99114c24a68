#pragma once

#include "config/TerminalConfig.h"

#include <string>
#include <vector>

#include <QString>

class QTextDocument;

namespace dravik::ui {

// The script lines as the editor shows them: one line of the editor per line, a carriage return
// inside a line shown as its control picture, and a final line break only after an empty last
// line, so that a text ending in a line break reads as no extra line.
QString ScriptText(const TScriptLines& script);

// The editor's lines back, byte for byte as ScriptText took them: a no-break space stays one (the
// editor's plain text would give a blank), characters Windows-1251 cannot hold become "?".
std::vector<std::string> ScriptLines(const QTextDocument& document);

} // namespace dravik::ui

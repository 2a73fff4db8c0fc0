#pragma once

#include <QString>

// Puts text between double quotes for /bin/sh, escaping the four characters that keep a special
// meaning there (\ " $ `), so the shell always reads it as one word, whatever it holds.
QString shellDoubleQuoted(const QString& text);

#pragma once

#include <QMap>
#include <QString>

// A process environment: variable name to value. A name occurs once; order is irrelevant.
using Environment = QMap<QString, QString>;

#pragma once

#include <QByteArray>
#include <QString>

// Writes one JSON object as text straight into a buffer. For the answers that are large and
// frequent (the status of every project): building them as QJsonObject costs several times
// more than writing the text.
class JsonObjectText
{
public:
    explicit JsonObjectText(QByteArray& out) : out_(out) { out_ += '{'; }
    ~JsonObjectText() { out_ += '}'; }
    JsonObjectText(const JsonObjectText&) = delete;
    JsonObjectText& operator=(const JsonObjectText&) = delete;

    void add(const char* key, const QString& value);
    void add(const char* key, bool value);
    void add(const char* key, qint64 value);
    // A number with at most one decimal.
    void add(const char* key, double value);
    // A value that is JSON text already (an array or object written elsewhere).
    void addJson(const char* key, const QByteArray& json);

private:
    void addKey(const char* key);

    QByteArray& out_;
    bool first_ = true;
};

// Appends `text` as a JSON string, quoted and escaped.
void appendJsonString(QByteArray& out, const QString& text);

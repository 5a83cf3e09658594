// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/EncodingChoices.h"

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QSettings>

namespace quillet {

namespace {

const QString kGroup = QStringLiteral("encoding/pages");
const QString kPath = QStringLiteral("path");
const QString kEncoding = QStringLiteral("encoding");

using Choice = QPair<QString, QString>;  // the absolute path and the encoding's name

QList<Choice> ReadChoices(QSettings& settings) {
    QList<Choice> choices;
    const int size = settings.beginReadArray(kGroup);
    for (int i = 0; i < size; ++i) {
        settings.setArrayIndex(i);
        choices.append({settings.value(kPath).toString(), settings.value(kEncoding).toString()});
    }
    settings.endArray();
    return choices;
}

QString Key(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

}  // namespace

std::optional<QString> EncodingChoices::forPage(const QString& path) const {
    QSettings settings;
    const QString key = Key(path);
    for (const Choice& choice : ReadChoices(settings)) {
        if (choice.first == key) return choice.second;
    }
    return std::nullopt;
}

void EncodingChoices::remember(const QString& path, const std::optional<QString>& encoding) {
    QSettings settings;
    const QString key = Key(path);
    QList<Choice> choices = ReadChoices(settings);
    choices.removeIf([&](const Choice& choice) { return choice.first == key; });
    if (encoding) choices.prepend({key, *encoding});
    if (choices.size() > kLimit) choices.resize(kLimit);
    settings.remove(kGroup);
    settings.beginWriteArray(kGroup, int(choices.size()));
    for (int i = 0; i < choices.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(kPath, choices[i].first);
        settings.setValue(kEncoding, choices[i].second);
    }
    settings.endArray();
}

}  // namespace quillet

#pragma once
// The manual's source as one brand reads it. The source (docs/manual.md) is Markdown with:
//   {{NAME}}             a brand's value: BRAND, PROGRAM, TITLE, MANUAL or VERSION
//   {{#if BRAND}}        on a line of its own: the lines up to the matching {{/if}} (or
//   {{else}}             {{else}}) are kept only for that brand; {{else}} keeps the rest for
//   {{/if}}              the other brands. Blocks may nest.
//   <!-- ... -->         notes for the writers, dropped (they may span lines).
// Anything else between double braces is an error, so a misspelt name never reaches a reader.

#include <QMap>
#include <QString>
#include <QStringList>

struct ManualBrand {
    QString brand;    // "Solvendra"
    QString program;  // "xjsetup"
    QString title;    // "Solvendra Paging Encoder Setup"
    QString manual;   // "XJSETUP.PDF"
    QString version;  // "1.0.0"
};

struct FilledManual {
    QString markdown;     // the brand's text; empty when errors is not
    QStringList errors;   // "line N: ..." for every fault found
};

FilledManual FillManual(const QString &source, const ManualBrand &brand);

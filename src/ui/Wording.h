#pragma once

#include <QString>
#include <string>

#include "export/ExportAdvice.h"
#include "export/FramePipeline.h"
#include "export/MarketplaceCheck.h"

class QCoreApplication;

namespace kalvane::ui {

// Qt's own words (file dialogs, the text boxes' menu) in Japanese, from
// the translations Qt installs; false when they are not there.
bool InstallJapanese(QCoreApplication& app);

// A message for a box: the core's details (English phrases and the
// system's error texts, after the file they concern) put in Japanese,
// what has no wording kept as it is, and \r shown as a line break.
QString JapaneseMessage(const std::string& text);

// Why an export failed, after the first lines that say what failed: the
// detail in Japanese, or every photo it could not use.
QString ExportFailureDetail(const TExportResult& result);

// What frames that enlarge the cut beyond the limit look like, and the
// width or longer side (`largest`) that keeps them sharp; empty when they
// do not.
QString EnlargedText(const TEnlargement& enlargement, int largest);

// A set's check against a marketplace's rules, as a table of lines: each
// rule kept or not, the first frames at fault under it.
QString MarketCheckText(const TMarketplaceReport& report);

}  // namespace kalvane::ui

// The help viewer: the program's HTML help page, opened in the browser at a help context.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <utility>

#include "platform/shell.h"

namespace kelvane {

// Where the help page may be for a program in programDir, in the order they are tried: beside it,
// in ../share/kelvane, in the installed data folder, in the source tree's res/.
QStringList HelpPageCandidates(const QString& programDir);
// The first candidate that is an existing file; empty when none is.
QString FindHelpPage(const QStringList& candidates);
// The page's file URL at the anchor of a help context, such as #0x20066.
QUrl HelpPageUrl(const QString& page, unsigned context);

class QtHelpViewer : public HelpViewer {
 public:
  // Looks where HelpPageCandidates says for the running program.
  QtHelpViewer() = default;
  // Looks in these places instead.
  explicit QtHelpViewer(QStringList candidates) : candidates_(std::move(candidates)) {}

  // False when the page is not found or nothing could open it.
  bool ShowHelp(unsigned context) override;

 private:
  std::optional<QStringList> candidates_;
};

}  // namespace kelvane

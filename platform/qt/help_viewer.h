// The help viewer: the program's HTML help page, opened in the browser at a help context.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <optional>
#include <utility>

#include "platform/qt/url_opener.h"
#include "platform/shell.h"

namespace kelvane {

// Where the help page may be for a program in programDir, in the order they are tried: beside it,
// in ../share/kelvane, in the installed data folder.
QStringList HelpPageCandidates(const QString& programDir);
// The first candidate that is an existing file; empty when none is.
QString FindHelpPage(const QStringList& candidates);
// The page's file URL at the anchor of a help context, such as #0x20066.
QUrl HelpPageUrl(const QString& page, unsigned context);

class QtHelpViewer : public HelpViewer {
 public:
  // Looks where HelpPageCandidates says for the running program.
  QtHelpViewer() = default;
  // Looks in these places instead; an opener still running after grace counts as having opened it.
  explicit QtHelpViewer(QStringList candidates, std::chrono::milliseconds grace = kOpenerGrace)
      : candidates_(std::move(candidates)), grace_(grace) {}

  // done(false) when the page is not found or nothing could open it. The wait cursor shows until
  // the answer is known.
  void ShowHelp(unsigned context, OpenDone done) override;

 private:
  std::optional<QStringList> candidates_;
  std::chrono::milliseconds grace_ = kOpenerGrace;
};

}  // namespace kelvane

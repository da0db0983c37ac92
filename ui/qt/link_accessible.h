// How screen readers meet the link: a link named by its text, whose press action opens it.
#pragma once

class QLineEdit;

namespace kelvane {

class QtLinkWindow;

// Makes field a link for Qt's accessibility interface while window routes its events to a link;
// nullptr makes it a plain field again.
void MakeAccessibleAsLink(QLineEdit* field, QtLinkWindow* window);

}  // namespace kelvane

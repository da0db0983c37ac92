// How screen readers meet the link: a link named by its text, whose press action opens it.
#pragma once

class QLineEdit;

namespace kelvane {

class CHyperLink;

// Makes field, taken over by link, a link for Qt's accessibility interface.
void MakeAccessibleAsLink(QLineEdit* field, CHyperLink* link);

}  // namespace kelvane

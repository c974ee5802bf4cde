// User text (material names, file names) is shown as typed, never interpreted as markup.
#pragma once

class QWidget;

namespace qv {

/// Makes every label inside `root` show its text as plain text: Qt's automatic detection would
/// render a material name such as "<b>steel" bold and drop the line breaks of a description.
void KeepLabelsPlain(QWidget* root);

}  // namespace qv

// The range test arrives with the test console.

#include "testconsole/frmRangeTest.h"

#include "widgets/placeholder.h"

frmRangeTest::frmRangeTest(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmRangeTest"));
    BuildPlaceholder(this, QStringLiteral("Range Test Setup"),
                     QStringLiteral("The range test is not available in this version."),
                     [this] { forms::UnloadForm(this); });
}

#include "admin/PasswordEdit.h"

#include <QProxyStyle>

namespace {

class MaskStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return PasswordEdit::MaskCharacter;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

PasswordEdit::PasswordEdit(QWidget *parent) : QLineEdit(parent)
{
    // A proxy without a base style follows the application's style; the edit owns it, as setStyle does not.
    auto *style = new MaskStyle;
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
}

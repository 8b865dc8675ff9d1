#include "messages/FaceMenuLauncher.h"

#include "messages/FaceMenu.h"
#include "widgets/SkinnedFrame.h"

#include <QMenu>
#include <QPointer>

namespace {

// The frame pops up a QMenu of its choosing; this one shows the face menu instead of itself.
class FaceMenuLauncher final : public QMenu
{
public:
    FaceMenuLauncher(SkinnedFrame &frame, FaceMenu &menu) : QMenu(&frame), m_frame(&frame), m_menu(&menu)
    {
        setObjectName(QStringLiteral("FaceMenuLauncher"));
    }

    void setVisible(bool visible) override
    {
        if (!visible) {
            QMenu::setVisible(false);
            return;
        }
        if (!m_frame || !m_menu)
            return;
        const QAbstractButton *box = m_frame->titleButton(SkinnedFrame::ControlBoxButton);
        m_menu->popup(box->mapToGlobal(QPoint(0, box->height())));
    }

private:
    QPointer<SkinnedFrame> m_frame;
    QPointer<FaceMenu> m_menu;
};

} // namespace

void OpenFaceMenuFromControlBox(SkinnedFrame &frame, FaceMenu &menu)
{
    frame.setControlMenu(new FaceMenuLauncher(frame, menu));
}

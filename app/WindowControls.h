#pragma once
// The window's status line and progress bar as the update worker sees them. Every
// call may come from the worker's thread; the widget is changed on the window's
// thread, in the order of the calls.

#include "app/UiDispatcher.h"
#include "device/UpdaterControls.h"

#include <QObject>
#include <QString>

#include <memory>

class QLabel;
class QProgressBar;
class QStyle;

namespace corvalin
{

class CQtStatusControl : public QObject, public IStatusControl
{
    Q_OBJECT

public:
    CQtStatusControl(CUiDispatcher& dispatcher, QLabel* label);

    void SetText(const std::string& text) override;

signals:
    // Each text as it reaches the status line, for whoever follows the sequence.
    void TextShown(const QString& text);

private:
    CUiDispatcher& m_dispatcher;
    QLabel* m_pLabel;
};

class CQtProgressControl : public IProgressControl
{
public:
    CQtProgressControl(CUiDispatcher& dispatcher, QProgressBar* bar);
    ~CQtProgressControl() override;

    void SetRange(int minimum, int maximum) override;
    // A bar ignores values outside its range; the worker's positions above 100 mean a
    // full bar, so they are clamped.
    void SetPos(int position) override;
    void SetBarColor(uint32_t color) override;

private:
    CUiDispatcher& m_dispatcher;
    QProgressBar* m_pBar;
    // Platform styles may paint the bar in their own colour; this one uses the palette.
    std::unique_ptr<QStyle> m_pStyle;
};

// The bar colour value red + 256 * green + 65536 * blue as a Qt colour.
QColor BarColorToQColor(uint32_t color);

} // namespace corvalin

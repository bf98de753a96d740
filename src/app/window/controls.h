#pragma once

#include <QLabel>
#include <QPushButton>

namespace tarn {

// A command button drawn in the panel's flat style: its back colour fills it exactly,
// a two-pixel bevel shows it raised or pressed, and its caption is centred and broken
// into lines where it is wider than the button. A dotted rectangle marks the focus.
// Colours come from the palette: Button (back) and ButtonText (fore).
class PanelButton final : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A one-line display the program writes to, in a single black border whatever the
// colour of its text. The text is plain, never interpreted as markup.
class DisplayLine final : public QLabel
{
    Q_OBJECT
public:
    explicit DisplayLine(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace tarn

#pragma once
// TShape: a colour swatch, a framed rectangle filled with its brush colour
// (a colour in the class library's layout, 0x00BBGGRR). It reports every
// mouse press with its button; a disabled swatch gets none. Main thread only.
#include <QWidget>
#include <cstdint>

class TShape : public QWidget {
    Q_OBJECT

public:
    explicit TShape(QWidget* parent = nullptr);

    std::uint32_t BrushColor() const { return brushColor_; }
    void SetBrushColor(std::uint32_t color);

signals:
    void MouseDown(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::uint32_t brushColor_ = 0xFFFFFF;
};

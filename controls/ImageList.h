#pragma once
// A list of images that captions draw from by index ("IDX:n").
#include <QImage>
#include <QObject>
#include <vector>

class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* parent = nullptr) : QObject(parent) {}
    int Add(const QImage& image)
    {
        images_.push_back(image);
        return int(images_.size()) - 1;
    }
    int Count() const { return int(images_.size()); }
    // A null image outside the list.
    QImage Image(int index) const { return index >= 0 && index < Count() ? images_[size_t(index)] : QImage(); }

private:
    std::vector<QImage> images_;
};

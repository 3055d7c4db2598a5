#pragma once
// The class library's alignment values and margins object, as the thumbnail
// strip's cells and overlays use them.
#include <functional>

enum TAlign : int { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

// Four margins of 3 pixels each; every differing change announces itself.
class TMargins {
public:
    TMargins() = default;
    TMargins(const TMargins&) = delete;
    TMargins& operator=(const TMargins&) = delete;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Right() const { return right_; }
    int Bottom() const { return bottom_; }
    void SetLeft(int value) { Set(left_, value); }
    void SetTop(int value) { Set(top_, value); }
    void SetRight(int value) { Set(right_, value); }
    void SetBottom(int value) { Set(bottom_, value); }
    void SetMargins(int left, int top, int right, int bottom);

    // Takes the other's four values and announces one change when any differs.
    void Assign(const TMargins& source) { SetMargins(source.left_, source.top_, source.right_, source.bottom_); }

    std::function<void()> OnChange;

private:
    void Set(int& field, int value);

    int left_ = 3, top_ = 3, right_ = 3, bottom_ = 3;
};

#pragma once
#include "controls/GPBase.h"

class TGPMatrix : public TGdiplusBase {
public:
    TGPMatrix();
    TGPMatrix(float m11, float m12, float m21, float m22, float dx, float dy);
    TGPMatrix(const TGPRectF& rect, const TGPPointF* dstplg);
    TGPMatrix(const TGPRect& rect, const TGPPoint* dstplg);
    // Takes over a native matrix.
    TGPMatrix(GpMatrix* native, Status status = Ok) : nativeMatrix(native), lastResult(status) {}
    ~TGPMatrix() override;

    // A copy for the caller to free; null when this matrix keeps a failure.
    TGPMatrix* Clone();
    Status GetElements(float* elements);
    Status SetElements(float m11, float m12, float m21, float m22, float dx, float dy);
    float OffsetX();
    float OffsetY();
    Status Reset();
    Status Multiply(TGPMatrix* matrix, MatrixOrder order = MatrixOrderPrepend);
    Status Translate(float offsetX, float offsetY, MatrixOrder order = MatrixOrderPrepend);
    Status Scale(float scaleX, float scaleY, MatrixOrder order = MatrixOrderPrepend);
    Status Rotate(float angle, MatrixOrder order = MatrixOrderPrepend);
    Status RotateAt(float angle, const TGPPointF& center, MatrixOrder order = MatrixOrderPrepend);
    Status Shear(float shearX, float shearY, MatrixOrder order = MatrixOrderPrepend);
    Status Invert();
    Status TransformPoints(TGPPointF* points, int count = 1);
    Status TransformPoints(TGPPoint* points, int count = 1);
    Status TransformVectors(TGPPointF* points, int count = 1);
    Status TransformVectors(TGPPoint* points, int count = 1);
    bool IsInvertible();
    bool IsIdentity();
    bool EqualMatrix(TGPMatrix* matrix);
    Status GetLastStatus();

    GpMatrix* NativeMatrix() const { return nativeMatrix; }

protected:
    GpMatrix* nativeMatrix = nullptr;
    Status lastResult = Ok;
};

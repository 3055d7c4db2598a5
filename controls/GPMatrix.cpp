#include "controls/GPMatrix.h"

TGPMatrix::TGPMatrix()
{
    lastResult = GdipCreateMatrix(&nativeMatrix);
}

TGPMatrix::TGPMatrix(float m11, float m12, float m21, float m22, float dx, float dy)
{
    lastResult = GdipCreateMatrix2(m11, m12, m21, m22, dx, dy, &nativeMatrix);
}

TGPMatrix::TGPMatrix(const TGPRectF& rect, const TGPPointF* dstplg)
{
    const GpRectF r{rect.X, rect.Y, rect.Width, rect.Height};
    lastResult = GdipCreateMatrix3(&r, reinterpret_cast<const GpPointF*>(dstplg), &nativeMatrix);
}

TGPMatrix::TGPMatrix(const TGPRect& rect, const TGPPoint* dstplg)
{
    const GpRect r{rect.X, rect.Y, rect.Width, rect.Height};
    lastResult = GdipCreateMatrix3I(&r, reinterpret_cast<const GpPoint*>(dstplg), &nativeMatrix);
}

TGPMatrix::~TGPMatrix()
{
    GdipDeleteMatrix(nativeMatrix);
}

TGPMatrix* TGPMatrix::Clone()
{
    if (lastResult != Ok)
        return nullptr;
    GpMatrix* clone = nullptr;
    const Status status = KeepStatus(lastResult, GdipCloneMatrix(nativeMatrix, &clone));
    return status == Ok ? new TGPMatrix(clone, Ok) : nullptr;
}

Status TGPMatrix::GetElements(float* elements)
{
    return KeepStatus(lastResult, GdipGetMatrixElements(nativeMatrix, elements));
}

Status TGPMatrix::SetElements(float m11, float m12, float m21, float m22, float dx, float dy)
{
    return KeepStatus(lastResult, GdipSetMatrixElements(nativeMatrix, m11, m12, m21, m22, dx, dy));
}

float TGPMatrix::OffsetX()
{
    float e[6];
    return GetElements(e) == Ok ? e[4] : 0.0f;
}

float TGPMatrix::OffsetY()
{
    float e[6];
    return GetElements(e) == Ok ? e[5] : 0.0f;
}

Status TGPMatrix::Reset()
{
    return SetElements(1, 0, 0, 1, 0, 0);
}

Status TGPMatrix::Multiply(TGPMatrix* matrix, MatrixOrder order)
{
    return KeepStatus(lastResult, GdipMultiplyMatrix(nativeMatrix, matrix ? matrix->nativeMatrix : nullptr, order));
}

Status TGPMatrix::Translate(float offsetX, float offsetY, MatrixOrder order)
{
    return KeepStatus(lastResult, GdipTranslateMatrix(nativeMatrix, offsetX, offsetY, order));
}

Status TGPMatrix::Scale(float scaleX, float scaleY, MatrixOrder order)
{
    return KeepStatus(lastResult, GdipScaleMatrix(nativeMatrix, scaleX, scaleY, order));
}

Status TGPMatrix::Rotate(float angle, MatrixOrder order)
{
    return KeepStatus(lastResult, GdipRotateMatrix(nativeMatrix, angle, order));
}

Status TGPMatrix::RotateAt(float angle, const TGPPointF& center, MatrixOrder order)
{
    if (order == MatrixOrderAppend) {
        Translate(-center.X, -center.Y, order);
        Rotate(angle, order);
        return Translate(center.X, center.Y, order);
    }
    Translate(center.X, center.Y, order);
    Rotate(angle, order);
    return Translate(-center.X, -center.Y, order);
}

Status TGPMatrix::Shear(float shearX, float shearY, MatrixOrder order)
{
    return KeepStatus(lastResult, GdipShearMatrix(nativeMatrix, shearX, shearY, order));
}

Status TGPMatrix::Invert()
{
    return KeepStatus(lastResult, GdipInvertMatrix(nativeMatrix));
}

Status TGPMatrix::TransformPoints(TGPPointF* points, int count)
{
    return KeepStatus(lastResult,
                      GdipTransformMatrixPoints(nativeMatrix, reinterpret_cast<GpPointF*>(points), count));
}

Status TGPMatrix::TransformPoints(TGPPoint* points, int count)
{
    return KeepStatus(lastResult,
                      GdipTransformMatrixPointsI(nativeMatrix, reinterpret_cast<GpPoint*>(points), count));
}

Status TGPMatrix::TransformVectors(TGPPointF* points, int count)
{
    return KeepStatus(lastResult,
                      GdipVectorTransformMatrixPoints(nativeMatrix, reinterpret_cast<GpPointF*>(points), count));
}

Status TGPMatrix::TransformVectors(TGPPoint* points, int count)
{
    return KeepStatus(lastResult,
                      GdipVectorTransformMatrixPointsI(nativeMatrix, reinterpret_cast<GpPoint*>(points), count));
}

bool TGPMatrix::IsInvertible()
{
    BOOL result = 0;
    KeepStatus(lastResult, GdipIsMatrixInvertible(nativeMatrix, &result));
    return result != 0;
}

bool TGPMatrix::IsIdentity()
{
    BOOL result = 0;
    KeepStatus(lastResult, GdipIsMatrixIdentity(nativeMatrix, &result));
    return result != 0;
}

bool TGPMatrix::EqualMatrix(TGPMatrix* matrix)
{
    BOOL result = 0;
    KeepStatus(lastResult, GdipIsMatrixEqual(nativeMatrix, matrix ? matrix->nativeMatrix : nullptr, &result));
    return result != 0;
}

Status TGPMatrix::GetLastStatus()
{
    const Status status = lastResult;
    lastResult = Ok;
    return status;
}

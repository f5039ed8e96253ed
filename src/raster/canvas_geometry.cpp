#include "raster/canvas_geometry.hpp"

namespace kelvo {

Affine composeAffine(const Affine& outer, const Affine& inner) {
    return Affine{
        outer.a * inner.a + outer.c * inner.b,
        outer.b * inner.a + outer.d * inner.b,
        outer.a * inner.c + outer.c * inner.d,
        outer.b * inner.c + outer.d * inner.d,
        outer.a * inner.tx + outer.c * inner.ty + outer.tx,
        outer.b * inner.tx + outer.d * inner.ty + outer.ty,
    };
}

}  // namespace kelvo

// The other half of shade_use.cpp, kept in an archive: `Shade` is wider here and has a third value.

enum class Shade : long { light, dark, dim };

Shade shadeOf(int level) { return level > 1 ? Shade::dim : Shade::light; }

// Half of a program whose two halves define the type `Shade` differently (the other half is
// shade_definition.cpp): the one-definition check must refuse to link it.

enum class Shade { light, dark };

Shade shadeOf(int level);

int main(int argc, char**) { return shadeOf(argc) == Shade::dark ? 1 : 0; }

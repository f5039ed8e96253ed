// Half of a program that declares the variable `tally` with another type than the other half
// (tally_definition.cpp) defines it with: the one-definition check must refuse to link it.

extern int tally;

int main() { return tally; }

// The other half of tally_use.cpp, kept in an archive: `tally` is eight bytes wide here.

long tally = 3;

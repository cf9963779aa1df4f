#pragma once
// Lookup tables of Marching Cubes 33 (see marchingcubestables.cpp for their
// origin and licence). Internal to the image processing library.
//
// cases[c] gives, for the corner sign pattern c (bit n set when corner n is
// inside), the case number 0..14 and the configuration within that case.
// A tiling lists triangles as triples of cube edges 0..11; edge 12 stands for
// an extra vertex inside the cube. A test table names the cube faces (1..6,
// the sign choosing the side) or the interior (7, signed) to test; test6,
// test7 and test12 end with the edge the interior test starts from.

namespace plexan::mc {

extern const signed char cases[256][2];
extern const signed char tiling1[16][3];
extern const signed char tiling2[24][6];
extern const signed char tiling3_1[24][6];
extern const signed char tiling3_2[24][12];
extern const signed char tiling4_1[8][6];
extern const signed char tiling4_2[8][18];
extern const signed char tiling5[48][9];
extern const signed char tiling6_1_1[48][9];
extern const signed char tiling6_1_2[48][27];
extern const signed char tiling6_2[48][15];
extern const signed char tiling7_1[16][9];
extern const signed char tiling7_2[16][3][15];
extern const signed char tiling7_3[16][3][27];
extern const signed char tiling7_4_1[16][15];
extern const signed char tiling7_4_2[16][27];
extern const signed char tiling8[6][6];
extern const signed char tiling9[8][12];
extern const signed char tiling10_1_1[6][12];
extern const signed char tiling10_1_1_[6][12];
extern const signed char tiling10_1_2[6][24];
extern const signed char tiling10_2[6][24];
extern const signed char tiling10_2_[6][24];
extern const signed char tiling11[12][12];
extern const signed char tiling12_1_1[24][12];
extern const signed char tiling12_1_1_[24][12];
extern const signed char tiling12_1_2[24][24];
extern const signed char tiling12_2[24][24];
extern const signed char tiling12_2_[24][24];
extern const signed char tiling13_1[2][12];
extern const signed char tiling13_1_[2][12];
extern const signed char tiling13_2[2][6][18];
extern const signed char tiling13_2_[2][6][18];
extern const signed char tiling13_3[2][12][30];
extern const signed char tiling13_3_[2][12][30];
extern const signed char tiling13_4[2][4][36];
extern const signed char tiling13_5_1[2][4][18];
extern const signed char tiling13_5_2[2][4][30];
extern const signed char tiling14[12][12];
extern const signed char test3[24];
extern const signed char test4[8];
extern const signed char test6[48][3];
extern const signed char test7[16][5];
extern const signed char test10[6][3];
extern const signed char test12[24][4];
extern const signed char test13[2][7];
extern const signed char subconfig13[64];

} // namespace plexan::mc

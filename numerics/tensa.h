#pragma once
// Process-wide text-output settings of the numeric library: how vectors and
// matrices print. Not synchronised.

class Tensa {
public:
    static int getIOWidth() { return s_width; }
    static void setIOWidth(int width) { s_width = width; }
    static int getIOPrecision() { return s_precision; }
    static void setIOPrecision(int precision) { s_precision = precision; }
    // Elements whose absolute value is below epsilon print as 0.
    static float getIOEpsilon() { return s_epsilon; }
    static void setIOEpsilon(float epsilon) { s_epsilon = epsilon; }
    // Print vectors as columns, one element per line.
    static bool getIOTranspose() { return s_transpose; }
    static void setIOTranspose(bool transpose) { s_transpose = transpose; }

private:
    static inline int s_width = 7;
    static inline int s_precision = 2;
    static inline float s_epsilon = 0.0f;
    static inline bool s_transpose = false;
};

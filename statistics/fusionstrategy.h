#pragma once
// FusionStrategy: which steps a fusion runs and how. The steps always run in
// the order alignment, registration, warping.

#include <string>

enum class FusionRegistrationAlgorithm { Global = 0, None = 1, Pairwise = 2 };
enum class FusionWarpingModel { Polynomials = 0, ThinPlateSplines = 1 };

class FusionStrategy {
public:
    // "Global" and "Pairwise"; "Polynomials" and "Thin-plate splines" (an
    // empty text for the value that does nothing).
    static std::string toString(FusionRegistrationAlgorithm algorithm);
    static std::string toString(FusionWarpingModel model);

    // Step 1: move every specimen so that the centre and principal axes of
    // its reference structures coincide with the coordinate frame.
    bool alignment = false;
    // Step 2: rigid registration, global (each specimen on the average of
    // the others, until the error settles) or pairwise (each specimen on the
    // template stack named referenceStack).
    bool registration = false;
    FusionRegistrationAlgorithm registrationAlgorithm = FusionRegistrationAlgorithm::Global;
    std::string referenceStack;
    // Kept for the user's settings; the global method runs to convergence.
    unsigned int numRegistrationIterations = 10;
    // Step 3: non-rigid deformation of each specimen onto the mean shape.
    bool warping = false;
    FusionWarpingModel warpingModel = FusionWarpingModel::Polynomials;
    unsigned int polynomialDegree = 2;
};

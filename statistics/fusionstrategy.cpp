#include "statistics/fusionstrategy.h"

std::string FusionStrategy::toString(FusionRegistrationAlgorithm algorithm)
{
    switch (algorithm) {
    case FusionRegistrationAlgorithm::Global:
        return "Global";
    case FusionRegistrationAlgorithm::Pairwise:
        return "Pairwise";
    default:
        return "";
    }
}

std::string FusionStrategy::toString(FusionWarpingModel model)
{
    return model == FusionWarpingModel::Polynomials ? "Polynomials" : "Thin-plate splines";
}

#include "app/tools/plxspotextractionconfig.h"

const char* PLXSpotExtractionConfig::smoothingName(PLXSpotExtractionSmoothing type)
{
    switch (type) {
    case PLXSpotExtractionSmoothing::Average:
        return "Average";
    case PLXSpotExtractionSmoothing::Median:
        return "Median";
    case PLXSpotExtractionSmoothing::Gaussian:
        return "Gaussian";
    }
    return "";
}

const char* PLXSpotExtractionConfig::tophatName(PLXSpotExtractionTopHat type)
{
    return type == PLXSpotExtractionTopHat::Flat ? "Flat" : "Spherical";
}

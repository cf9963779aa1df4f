#include "imageprocessing/snakeconfig.h"

void SnakeConfig::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << std::endl;
    stream << "Alpha = " << m_alpha << std::endl;
    stream << "Reg min = " << m_regMin << std::endl;
    stream << "Reg max = " << m_regMax << std::endl;
    stream << "Distance = " << m_distance << std::endl;
    stream << "Grad Threshold = " << m_gradThreshold << std::endl;
}

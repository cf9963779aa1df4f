#pragma once
// SnakeConfig: the parameters of an active contour, stored per model.
//
//   gradThreshold  edge strength at which the search along a normal stops
//   distance       search range along the normal, in pixels
//   regMin, regMax lower and used regularisation weights (regMin is only
//                  adapted, in adaptive mode)
//   alpha          Deriche parameter of the edge map (smaller: smoother)
//   adaptive       adapt regMin, regMax and alpha while running
//   scale          reduction factor the editing tool applies to the image and
//                  the contour before running

#include <iostream>
#include <string>

class SnakeConfig {
public:
    SnakeConfig() = default;
    SnakeConfig(const SnakeConfig&) = default;
    SnakeConfig& operator=(const SnakeConfig&) = default;
    virtual ~SnakeConfig() = default;

    void setGradThreshold(float t) { m_gradThreshold = t; }
    float getGradThreshold() const { return m_gradThreshold; }
    void setDistance(int d) { m_distance = d; }
    int getDistance() const { return m_distance; }
    void setRegMin(float r) { m_regMin = r; }
    float getRegMin() const { return m_regMin; }
    void setRegMax(float r) { m_regMax = r; }
    float getRegMax() const { return m_regMax; }
    void setAlpha(float a) { m_alpha = a; }
    float getAlpha() const { return m_alpha; }
    void setAdaptive(bool adaptive) { m_adaptive = adaptive; }
    bool isAdaptive() const { return m_adaptive; }
    void setScale(unsigned int s) { m_scale = s; }
    unsigned int getScale() const { return m_scale; }

    // The title (when not empty), then "Alpha = ", "Reg min = ", "Reg max = ",
    // "Distance = " and "Grad Threshold = " lines.
    void print(const std::string& title = "", std::ostream& stream = std::cout) const;

private:
    float m_gradThreshold = 20.0f;
    int m_distance = 100;
    float m_regMin = 0.5f;
    float m_regMax = 1.0f;
    float m_alpha = 1.0f;
    bool m_adaptive = false;
    unsigned int m_scale = 1;
};

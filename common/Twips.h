// Screen geometry is given in twips: 15 twips to a logical pixel (1440 twips
// per inch at 96 logical dots per inch).
#pragma once

#include <QRect>
#include <QSize>
#include <QtMath>

inline constexpr double TwipsPerPixel = 15.0;

inline int Px(double twips) {
    return qRound(twips / TwipsPerPixel);
}
inline double ToTwips(double pixels) {
    return pixels * TwipsPerPixel;
}
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}
inline QSize TwipsSize(int width, int height) {
    return QSize(Px(width), Px(height));
}

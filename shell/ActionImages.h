#pragma once
// The 16 by 16 images of the data module's actions, drawn in one style: a
// dark outline, few colours, transparent ground. Keyed by the action's name,
// in the order the image lists hold them.
#include <QImage>

#include <utility>
#include <vector>

std::vector<std::pair<const char*, QImage>> ActionImages();

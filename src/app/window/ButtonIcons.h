#pragma once

#include <QIcon>
#include <QPixmap>

namespace pm {

// The images of the six picture buttons, drawn here so that the program carries no image files.
enum class ButtonImage { Read, Save, Clear, Print, Help, Close };
QIcon buttonIcon(ButtonImage image);

// The small picture of the instrument beside the link status (Picture1), 78 x 70 pixels.
QPixmap meterPicture();

} // namespace pm

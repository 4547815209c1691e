// The pictures of the program, drawn at run time: the five button pictures,
// the window icon and the splash picture.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vantrelis {

enum class ButtonPicture { Harvest, Pause, Import, Export, Clear };

// A 32 x 32 button picture.
QIcon ButtonIcon(ButtonPicture picture);
// The window and application icon.
QIcon ApplicationIcon();
// The 401 x 300 splash picture.
QPixmap SplashPicture();

}  // namespace vantrelis

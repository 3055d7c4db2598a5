#include "app/UnreadablePictures.h"

std::string UnreadablePicturesText(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return std::string();
    if (paths.size() == 1)
        return "The file \"" + paths.front() + "\" could not be read as a picture.";
    std::string text = "These files could not be read as pictures:";
    for (const std::string& path : paths)
        text += "\n" + path;
    return text;
}

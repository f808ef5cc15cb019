#include "catalogue/TFileNameList.h"

void TFileNameList::Reserve(std::size_t names, std::size_t bytes)
{
    FEnds.reserve(names);
    FText.reserve(bytes);
}

void TFileNameList::Add(std::string_view name)
{
    FText.append(name);
    End();
}

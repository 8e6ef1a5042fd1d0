#pragma once
// Hand-written price lists for the start-up tests (UTF-8 with a signature, as a lab may serve).

#include <string>

namespace fixtures {

// Three cities of which one has only a blank place, three sizes of which one has no price.
inline const std::string GoodPriceList =
    "\xEF\xBB\xBF"
    "MinPrice=120\r\n"
    "UploadScript={{LAB}}/upload3.php\r\n"
    "DownloadURL={{LAB}}/UserFiles/Image/Selvana.exe\r\n"
    "LastVersion=3.0\r\n"
    "CityCount=3\r\n"
    "City1.Name=Тихоград\r\n"
    "City1.PlaceCount=2\r\n"
    "City1.Place1.Name=Центральный\r\n"
    "City1.Place2.Name=Вокзальный\r\n"
    "City2.Name=Пустоград\r\n"
    "City2.PlaceCount=1\r\n"
    "City2.Place1.Name=   \r\n"
    "City3.Name=Озёрск\r\n"
    "City3.PlaceCount=1\r\n"
    "City3.Place1.Name=Набережная\r\n"
    "SizeCount=3\r\n"
    "Size1.Caption=10х15 см\r\n"
    "Size1.Width=1200\r\n"
    "Size1.Height=1800\r\n"
    "Size1.Glossy.Price=9.5\r\n"
    "Size2.Caption=Без цены\r\n"
    "Size2.Width=1500\r\n"
    "Size2.Height=2100\r\n"
    "Size3.Caption=20х30 см\r\n"
    "Size3.Width=3600\r\n"
    "Size3.Height=2400\r\n"
    "Size3.Pearl.Price=70\r\n";

// Everything but the print sizes.
inline const std::string NoSizesPriceList =
    "MinPrice=120\r\n"
    "CityCount=1\r\n"
    "City1.Name=Tikhograd\r\n"
    "City1.PlaceCount=1\r\n"
    "City1.Place1.Name=Centre\r\n";

// A newer program exists; the address comes with blanks around it.
inline const std::string NewerVersionPriceList =
    "MinPrice=120\r\n"
    "LastVersion=3.1\r\n"
    "DownloadURL=  {{LAB}}/UserFiles/Image/Selvana.exe  \r\n"
    "CityCount=1\r\n"
    "City1.Name=Tikhograd\r\n"
    "City1.PlaceCount=1\r\n"
    "City1.Place1.Name=Centre\r\n"
    "SizeCount=1\r\n"
    "Size1.Caption=10x15\r\n"
    "Size1.Glossy.Price=9.5\r\n";

// One size, but it has no price: it passes the dialog and is dropped when applied.
inline const std::string OnlyInvalidSizePriceList =
    "CityCount=1\r\n"
    "City1.Name=Tikhograd\r\n"
    "City1.PlaceCount=1\r\n"
    "City1.Place1.Name=Centre\r\n"
    "SizeCount=1\r\n"
    "Size1.Caption=10x15\r\n";

// A priced size, but the only city has nowhere to pick the order up.
inline const std::string OnlyInvalidCityPriceList =
    "CityCount=1\r\n"
    "City1.Name=Tikhograd\r\n"
    "City1.PlaceCount=1\r\n"
    "City1.Place1.Name=  \r\n"
    "SizeCount=1\r\n"
    "Size1.Caption=10x15\r\n"
    "Size1.Width=1800\r\n"
    "Size1.Height=1200\r\n"
    "Size1.Glossy.Price=9.5\r\n";

}  // namespace fixtures

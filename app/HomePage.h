#pragma once

#include <QString>

// The product page on the maker's web server, with the referrer query the
// program always sends.
QString homePageAddress();

// Opens the product page in the user's browser; a failure is not reported.
void openHomePage();

#pragma once

class QAbstractButton;

// Four blanks on each side of the button's present text: the update service's
// buttons look too tight in the system style without them.
void setPaddedButtonText(QAbstractButton* button);

TESSARONVERSION
3
-
Download
Tessaron
This is the newest version.
END

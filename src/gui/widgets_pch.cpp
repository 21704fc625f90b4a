// Only the precompiled header of the Widgets libraries (widgets_pch.h) is made from it.

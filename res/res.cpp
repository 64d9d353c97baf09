// Anchor of the resource library; the icons themselves live in icons/.

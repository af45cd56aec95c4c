/// The corvane plugin has no Dart API of its own: an app calls the
/// "CorvanePlugin" method channel and listens to each player's event
/// channel, as docs/methods.md describes.
library corvane;

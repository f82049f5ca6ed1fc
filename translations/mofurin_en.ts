<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>DisplayPlatform</name>
    <message>
        <source>もふりん: XWayland が見つからないため、Wayland で動作します。子猫をマウスポインターの位置に出すことと、ほかのウィンドウより手前に保つことはできません。
</source>
        <translation>Mofurin: XWayland was not found, so Mofurin runs on Wayland. The kitten cannot appear at the mouse pointer or stay in front of other windows.
</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>もふりんはすでに起動していますが、応答がありません。
</source>
        <translation>Mofurin is already running but does not answer.
</translation>
    </message>
</context>
</TS>

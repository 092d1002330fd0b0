<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>WindowTexts</name>
    <message numerus="yes">
        <source>⚠ %n piece(s) of the level arrived empty.</source>
        <translation>
            <numerusform>⚠ %n piece of the level arrived empty.</numerusform>
            <numerusform>⚠ %n pieces of the level arrived empty.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n layout cell(s) did not fit in the chunks and arrive empty.</source>
        <translation>
            <numerusform>%n layout cell did not fit in the chunks and arrives empty.</numerusform>
            <numerusform>%n layout cells did not fit in the chunks and arrive empty.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n layout cell(s) name Tavro 1 chunks 64 and above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</source>
        <translation>
            <numerusform>%n layout cell names a Tavro 1 chunk 64 or above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</numerusform>
            <numerusform>%n layout cells name Tavro 1 chunks 64 and above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n piece(s) of the level would arrive empty (marked in red).</source>
        <translation>
            <numerusform>⚠ %n piece of the level would arrive empty (marked in red).</numerusform>
            <numerusform>⚠ %n pieces of the level would arrive empty (marked in red).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>shown %n time(s) smaller</source>
        <translation>
            <numerusform>shown %n time smaller</numerusform>
            <numerusform>shown %n times smaller</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n piece(s) would arrive empty</source>
        <translation>
            <numerusform>⚠ %n piece would arrive empty</numerusform>
            <numerusform>⚠ %n pieces would arrive empty</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n piece(s) arrived empty</source>
        <translation>
            <numerusform>⚠ %n piece arrived empty</numerusform>
            <numerusform>⚠ %n pieces arrived empty</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>(%n in the background)</source>
        <translation>
            <numerusform>(%n in the background)</numerusform>
            <numerusform>(%n in the background)</numerusform>
        </translation>
    </message>
</context>
</TS>

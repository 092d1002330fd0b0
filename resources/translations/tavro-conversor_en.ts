<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>WindowTexts</name>
    <message numerus="yes">
        <source>shown %n time(s) smaller</source>
        <translation>
            <numerusform>shown %n time smaller</numerusform>
            <numerusform>shown %n times smaller</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>(%n in the background)</source>
        <translation>
            <numerusform>(%n in the background)</numerusform>
            <numerusform>(%n in the background)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n cell(s) did not fit in the chunks and arrive empty.</source>
        <translation>
            <numerusform>%n cell did not fit in the chunks and arrives empty.</numerusform>
            <numerusform>%n cells did not fit in the chunks and arrive empty.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n cell(s) name Tavro 1 chunks 64 and above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</source>
        <translation>
            <numerusform>%n cell names a Tavro 1 chunk 64 or above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</numerusform>
            <numerusform>%n cells name Tavro 1 chunks 64 and above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) would arrive empty</source>
        <translation>
            <numerusform>⚠ %n cell would arrive empty</numerusform>
            <numerusform>⚠ %n cells would arrive empty</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) arrived empty</source>
        <translation>
            <numerusform>⚠ %n cell arrived empty</numerusform>
            <numerusform>⚠ %n cells arrived empty</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) would arrive empty (in red): Convert packed carries the whole level.</source>
        <translation>
            <numerusform>⚠ %n cell would arrive empty (in red): Convert packed carries the whole level.</numerusform>
            <numerusform>⚠ %n cells would arrive empty (in red): Convert packed carries the whole level.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) would arrive empty (in red). Ready: press Converter.</source>
        <translation>
            <numerusform>⚠ %n cell would arrive empty (in red). Ready: press Converter.</numerusform>
            <numerusform>⚠ %n cells would arrive empty (in red). Ready: press Converter.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) arrived empty.</source>
        <translation>
            <numerusform>⚠ %n cell arrived empty.</numerusform>
            <numerusform>⚠ %n cells arrived empty.</numerusform>
        </translation>
    </message>
</context>
</TS>

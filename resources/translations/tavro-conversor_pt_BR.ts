<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>WindowTexts</name>
    <message>
        <source>Choose both save states, then press Converter.</source>
        <translation>Escolha os dois save states e clique em Converter.</translation>
    </message>
    <message>
        <source>Choose the Tavro 1 and the Tavro 2 save states first.</source>
        <translation>Escolha antes os save states do Tavro 1 e do Tavro 2.</translation>
    </message>
    <message>
        <source>Choose the Tavro 1 save state first.</source>
        <translation>Escolha antes o save state do Tavro 1.</translation>
    </message>
    <message>
        <source>Choose the Tavro 2 save state first.</source>
        <translation>Escolha antes o save state do Tavro 2.</translation>
    </message>
    <message>
        <source>Now choose the Tavro 1 save state.</source>
        <translation>Agora escolha o save state do Tavro 1.</translation>
    </message>
    <message>
        <source>Now choose the Tavro 2 save state.</source>
        <translation>Agora escolha o save state do Tavro 2.</translation>
    </message>
    <message>
        <source>Ready: press Converter.</source>
        <translation>Pronto: clique em Converter.</translation>
    </message>
    <message>
        <source>Converting into %1…</source>
        <translation>Convertendo para %1…</translation>
    </message>
    <message>
        <source>the Tavro 1 save state</source>
        <translation>o save state do Tavro 1</translation>
    </message>
    <message>
        <source>the Tavro 2 save state</source>
        <translation>o save state do Tavro 2</translation>
    </message>
    <message>
        <source>the backup of the Tavro 2 save state</source>
        <translation>a cópia de segurança do save state do Tavro 2</translation>
    </message>
    <message>
        <source>%1 has not been chosen</source>
        <translation>%1 não foi escolhido</translation>
    </message>
    <message>
        <source>could not open %1</source>
        <translation>não foi possível abrir %1</translation>
    </message>
    <message>
        <source>could not read %1</source>
        <translation>não foi possível ler %1</translation>
    </message>
    <message>
        <source>%1 is too short</source>
        <translation>%1 é curto demais</translation>
    </message>
    <message>
        <source>could not create a temporary file beside %1</source>
        <translation>não foi possível criar um arquivo temporário para %1</translation>
    </message>
    <message>
        <source>could not create a temporary file in the folder %1, where %2 is</source>
        <translation>não foi possível criar um arquivo temporário na pasta %1, onde está %2</translation>
    </message>
    <message>
        <source>could not write %1</source>
        <translation>não foi possível gravar %1</translation>
    </message>
    <message>
        <source>could not flush %1 to disk</source>
        <translation>não foi possível enviar %1 ao disco</translation>
    </message>
    <message>
        <source>could not replace %1 with its new contents</source>
        <translation>não foi possível substituir %1 pelo novo conteúdo</translation>
    </message>
    <message>
        <source>%1 was written but could not be checked afterwards</source>
        <translation>%1 foi gravado, mas não pôde ser conferido depois</translation>
    </message>
    <message>
        <source>could not remove %1</source>
        <translation>não foi possível remover %1</translation>
    </message>
    <message>
        <source>%1 has changed since the conversion</source>
        <translation>%1 mudou desde a conversão</translation>
    </message>
    <message>
        <source>could not use %1</source>
        <translation>não foi possível usar %1</translation>
    </message>
    <message>
        <source>Conversion failed: %1.</source>
        <translation>Falha na conversão: %1.</translation>
    </message>
    <message>
        <source>Undone: %1, which the conversion had created, was removed.</source>
        <translation>Desfeito: %1, criado pela conversão, foi removido.</translation>
    </message>
    <message>
        <source>Undone: %1 holds its previous contents again.</source>
        <translation>Desfeito: %1 voltou ao conteúdo anterior.</translation>
    </message>
    <message>
        <source>Undo refused: %1.</source>
        <translation>Desfazer recusado: %1.</translation>
    </message>
    <message>
        <source>Undo failed: %1.</source>
        <translation>Falha ao desfazer: %1.</translation>
    </message>
    <message>
        <source>Conversion failed</source>
        <translation>Falha na conversão</translation>
    </message>
    <message>
        <source>Undo refused</source>
        <translation>Desfazer recusado</translation>
    </message>
    <message>
        <source>Undo failed</source>
        <translation>Falha ao desfazer</translation>
    </message>
    <message>
        <source>Something unexpected went wrong: %1</source>
        <translation>Algo inesperado deu errado: %1</translation>
    </message>
    <message>
        <source>File: %1
Reason: %2</source>
        <translation>Arquivo: %1
Motivo: %2</translation>
    </message>
    <message>
        <source>The conversion failed: %1.</source>
        <translation>A conversão falhou: %1.</translation>
    </message>
    <message>
        <source>The undo was refused: %1; it was left as it is.</source>
        <translation>O desfazer foi recusado: %1; ele foi deixado como está.</translation>
    </message>
    <message>
        <source>The undo failed: %1.</source>
        <translation>Não foi possível desfazer: %1.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Desfazer</translation>
    </message>
    <message>
        <source>Put %1 back as it was before the conversion (%2)</source>
        <translation>Devolver %1 ao estado anterior à conversão (%2)</translation>
    </message>
    <message>
        <source>Nothing to undo</source>
        <translation>Nada a desfazer</translation>
    </message>
    <message>
        <source>Before</source>
        <translation>Antes</translation>
    </message>
    <message>
        <source>After</source>
        <translation>Depois</translation>
    </message>
    <message>
        <source>Choose a Tavro 1 save state to see its level here.</source>
        <translation>Escolha um save state do Tavro 1 para ver o nível dele aqui.</translation>
    </message>
    <message>
        <source>Drawing the level…</source>
        <translation>Desenhando o nível…</translation>
    </message>
    <message>
        <source>Nothing to draw: the level&apos;s foreground layout is empty.</source>
        <translation>Nada para desenhar: o primeiro plano do nível está vazio.</translation>
    </message>
    <message>
        <source>Click for a larger view that zooms and saves the picture</source>
        <translation>Clique para ver maior, com zoom e opção de salvar a imagem</translation>
    </message>
    <message>
        <source>Level in %1 after the conversion</source>
        <translation>Nível em %1 depois da conversão</translation>
    </message>
    <message>
        <source>Level in %1</source>
        <translation>Nível em %1</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Aproximar</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Afastar</translation>
    </message>
    <message>
        <source>Actual size</source>
        <translation>Tamanho real</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>The wheel and Ctrl + and Ctrl − zoom; drag the picture to move it.</source>
        <translation>A roda do mouse, Ctrl + e Ctrl − mudam o zoom; arraste a imagem para movê-la.</translation>
    </message>
    <message>
        <source>Save as PNG…</source>
        <translation>Salvar como PNG…</translation>
    </message>
    <message>
        <source>Save the whole picture, unscaled, as a PNG file</source>
        <translation>Salvar a imagem inteira, em tamanho real, como arquivo PNG</translation>
    </message>
    <message>
        <source>Save the picture</source>
        <translation>Salvar a imagem</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>Imagens PNG (*.png)</translation>
    </message>
    <message>
        <source>Saved %1.</source>
        <translation>%1 foi salvo.</translation>
    </message>
    <message>
        <source>Picture not saved</source>
        <translation>Imagem não salva</translation>
    </message>
    <message>
        <source>%1 × %2 px</source>
        <translation>%1 × %2 px</translation>
    </message>
    <message>
        <source>&amp;Pack to carry the whole level</source>
        <translation>&amp;Compactar para levar o nível inteiro</translation>
    </message>
    <message>
        <source>Convert packed</source>
        <translation>Compactar</translation>
    </message>
    <message>
        <source>Convert again with packed chunks, which carries chunks 64 and above too. Undo then puts the target back as it was before both conversions.</source>
        <translation>Converte de novo com os chunks compactados, o que leva também os chunks 64 em diante. Desfazer então devolve o destino ao que era antes das duas conversões.</translation>
    </message>
    <message>
        <source>the save state</source>
        <translation>o save state</translation>
    </message>
    <message>
        <source>the picture</source>
        <translation>a imagem</translation>
    </message>
    <message>
        <source>there is nothing to draw in %1</source>
        <translation>não há nada para desenhar em %1</translation>
    </message>
    <message>
        <source>could not encode %1 as PNG</source>
        <translation>não foi possível codificar %1 como PNG</translation>
    </message>
    <message>
        <source>the system gave no reason</source>
        <translation>o sistema não deu o motivo</translation>
    </message>
    <message>
        <source>no file was chosen</source>
        <translation>nenhum arquivo foi escolhido</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>não é um arquivo comum</translation>
    </message>
    <message>
        <source>it is too short to hold a level: %1 bytes, a save state has at least %2</source>
        <translation>é curto demais para conter um nível: %1 bytes, um save state tem pelo menos %2</translation>
    </message>
    <message>
        <source>it ended after %1 of its %2 bytes (is another program changing it?)</source>
        <translation>terminou depois de %1 dos seus %2 bytes (outro programa o está alterando?)</translation>
    </message>
    <message>
        <source>it has %1 names (hard links); replacing it would separate them: work on a copy instead</source>
        <translation>tem %1 nomes (links físicos); substituí-lo os separaria: trabalhe com uma cópia</translation>
    </message>
    <message>
        <source>its owner (user %1, group %2) could not be kept: %3</source>
        <translation>não foi possível manter o dono (usuário %1, grupo %2): %3</translation>
    </message>
    <message>
        <source>another program changed it meanwhile; nothing was written</source>
        <translation>outro programa o alterou nesse meio-tempo; nada foi gravado</translation>
    </message>
    <message>
        <source>it no longer exists</source>
        <translation>ele não existe mais</translation>
    </message>
    <message>
        <source>it has another size than was written</source>
        <translation>tem um tamanho diferente do que foi gravado</translation>
    </message>
    <message>
        <source>it holds other bytes than were written</source>
        <translation>contém bytes diferentes dos que foram gravados</translation>
    </message>
    <message>
        <source>it was changed after the conversion</source>
        <translation>foi alterado depois da conversão</translation>
    </message>
    <message>
        <source>its foreground layout is empty</source>
        <translation>o primeiro plano está vazio</translation>
    </message>
    <message>
        <source>its background layout is empty</source>
        <translation>o fundo está vazio</translation>
    </message>
    <message>
        <source>the picture is empty</source>
        <translation>a imagem está vazia</translation>
    </message>
    <message>
        <source>the PNG encoder failed (%1)</source>
        <translation>o codificador PNG falhou (%1)</translation>
    </message>
    <message>
        <source>it is the save state being shown</source>
        <translation>é o save state que está sendo mostrado</translation>
    </message>
    <message>
        <source>its extended attribute %1 cannot be carried to the new file (%2); nothing was written</source>
        <translation>o atributo estendido %1 não pode ser levado ao novo arquivo (%2); nada foi gravado</translation>
    </message>
    <message>
        <source>its inode flags (%1, see lsattr) cannot be given to a new file or keep it from being replaced; nothing was written</source>
        <translation>as flags de inode (%1, veja lsattr) não podem ser dadas a um novo arquivo ou impedem que ele seja substituído; nada foi gravado</translation>
    </message>
    <message>
        <source>it belongs to user %1 in a shared folder where only its owner may replace it; nothing was written</source>
        <translation>pertence ao usuário %1 numa pasta compartilhada onde só o dono pode substituí-lo; nada foi gravado</translation>
    </message>
    <message>
        <source>a link on the way belongs to user %1 in a shared folder, and is not followed; nothing was written</source>
        <translation>um link no caminho pertence ao usuário %1 numa pasta compartilhada e não é seguido; nada foi gravado</translation>
    </message>
    <message>
        <source>another program has it open (close it there, then try again)</source>
        <translation>outro programa o mantém aberto (feche-o lá e tente de novo)</translation>
    </message>
    <message>
        <source>the system wrote nothing of it (is the disk full?)</source>
        <translation>o sistema não gravou nada dele (o disco está cheio?)</translation>
    </message>
    <message>
        <source>The previous contents of the Tavro 2 save state are in %1.</source>
        <translation>O conteúdo anterior do save state do Tavro 2 está em %1.</translation>
    </message>
    <message>
        <source>No picture: could not open %1: %2.</source>
        <translation>Sem imagem: não foi possível abrir %1: %2.</translation>
    </message>
    <message>
        <source>No picture: could not read %1: %2.</source>
        <translation>Sem imagem: não foi possível ler %1: %2.</translation>
    </message>
    <message>
        <source>No picture: %1: %2.</source>
        <translation>Sem imagem: %1: %2.</translation>
    </message>
    <message>
        <source>The picture could not be saved: %1.</source>
        <translation>A imagem não pôde ser salva: %1.</translation>
    </message>
    <message>
        <source>Tavro 1 save state (the source)</source>
        <translation>Save state do Tavro 1 (a origem)</translation>
    </message>
    <message>
        <source>Tavro 2 save state (the target)</source>
        <translation>Save state do Tavro 2 (o destino)</translation>
    </message>
    <message>
        <source>No file chosen</source>
        <translation>Nenhum arquivo escolhido</translation>
    </message>
    <message>
        <source>Level picture</source>
        <translation>Imagem do nível</translation>
    </message>
    <message>
        <source>The level in %1: %2 by %3 pixels, shown at full size.</source>
        <translation>O nível em %1: %2 por %3 pixels, mostrado em tamanho real.</translation>
    </message>
    <message>
        <source>The level in %1: %2 by %3 pixels, shown %4 times smaller.</source>
        <translation>O nível em %1: %2 por %3 pixels, mostrado %4 vezes menor.</translation>
    </message>
    <message>
        <source>Every cell arrived whole.</source>
        <translation>Todas as células chegaram inteiras.</translation>
    </message>
    <message>
        <source>1 cell arrived empty; it is marked in red.</source>
        <translation>1 célula chegou vazia; ela está marcada em vermelho.</translation>
    </message>
    <message>
        <source>%1 cells arrived empty; they are marked in red.</source>
        <translation>%1 células chegaram vazias; elas estão marcadas em vermelho.</translation>
    </message>
    <message>
        <source>%1 would take two roles</source>
        <translation>%1 teria dois papéis</translation>
    </message>
    <message>
        <source>%1 is not a PNG picture</source>
        <translation>%1 não é uma imagem PNG</translation>
    </message>
    <message>
        <source>%1 is a PNG picture</source>
        <translation>%1 é uma imagem PNG</translation>
    </message>
    <message>
        <source>%1 does not hold a Tavro 1 level</source>
        <translation>%1 não contém um nível do Tavro 1</translation>
    </message>
    <message>
        <source>%1 was refused</source>
        <translation>%1 foi recusado</translation>
    </message>
    <message>
        <source>%1 changed while converting</source>
        <translation>%1 mudou durante a conversão</translation>
    </message>
    <message>
        <source>its group (%1) could not be kept, as you do not belong to it: %2</source>
        <translation>não foi possível manter o grupo (%1), do qual você não faz parte: %2</translation>
    </message>
    <message>
        <source>it is also %1, %2 (the same file); one file cannot take both roles, so nothing was written</source>
        <translation>é também %1, %2 (o mesmo arquivo); um arquivo não pode ter os dois papéis, por isso nada foi gravado</translation>
    </message>
    <message>
        <source>it exists and is not a PNG picture; nothing was written</source>
        <translation>ele existe e não é uma imagem PNG; nada foi gravado</translation>
    </message>
    <message>
        <source>it is a PNG picture, not a save state</source>
        <translation>é uma imagem PNG, não um save state</translation>
    </message>
    <message>
        <source>it does not hold a Tavro 1 level: %1. Is it a Tavro 2 save state?</source>
        <translation>não contém um nível do Tavro 1: %1. Será um save state do Tavro 2?</translation>
    </message>
    <message>
        <source>it does not hold a Tavro 1 level (%1), and the Tavro 2 save state does: are the two swapped?</source>
        <translation>não contém um nível do Tavro 1 (%1), e o save state do Tavro 2 contém: os dois estão trocados?</translation>
    </message>
    <message>
        <source>it is a socket, not a file</source>
        <translation>é um socket, não um arquivo</translation>
    </message>
    <message>
        <source>the system will not put another file in its place (%1): it is a mount point, such as a bind-mounted file; work on a copy instead</source>
        <translation>o sistema não põe outro arquivo no lugar dele (%1): é um ponto de montagem, como um arquivo montado com bind; trabalhe numa cópia</translation>
    </message>
    <message>
        <source>Convert anyway?</source>
        <translation>Converter assim mesmo?</translation>
    </message>
    <message>
        <source>Before converting: %1.</source>
        <translation>Antes de converter: %1.</translation>
    </message>
    <message>
        <source>Converting it carries whatever its bytes hold into the Tavro 2 save state. Convert anyway?</source>
        <translation>Convertê-lo leva o que os seus bytes contiverem para o save state do Tavro 2. Converter assim mesmo?</translation>
    </message>
    <message>
        <source>Done, and checked.</source>
        <translation>Feito e conferido.</translation>
    </message>
    <message>
        <source>Done.</source>
        <translation>Feito.</translation>
    </message>
    <message>
        <source>Already up to date: nothing was written.</source>
        <translation>Já estava atualizado: nada foi gravado.</translation>
    </message>
    <message>
        <source>The previous contents are in %1.</source>
        <translation>O conteúdo anterior está em %1.</translation>
    </message>
    <message>
        <source>Packed: %1 of %2 Tavro 2 chunks in use.</source>
        <translation>Compactado: %1 de %2 chunks do Tavro 2 em uso.</translation>
    </message>
    <message>
        <source>Ready: press Converter. The After picture is a preview of the result.</source>
        <translation>Pronto: clique em Converter. A imagem Depois é uma prévia do resultado.</translation>
    </message>
    <message>
        <source>Not ready: %1 — %2.</source>
        <translation>Ainda não: %1 — %2.</translation>
    </message>
    <message>
        <source>The files changed after the preview was drawn: look at the new preview, then press Converter again.</source>
        <translation>Os arquivos mudaram depois da prévia: veja a prévia nova e clique em Converter outra vez.</translation>
    </message>
    <message>
        <source>The Tavro 2 save state was replaced all the same; Undo puts it back.</source>
        <translation>O save state do Tavro 2 foi substituído mesmo assim; Desfazer o devolve.</translation>
    </message>
    <message>
        <source>The Tavro 2 save state was left unchanged.</source>
        <translation>O save state do Tavro 2 ficou como estava.</translation>
    </message>
    <message>
        <source>Keep a &amp;backup</source>
        <translation>Guardar &amp;cópia</translation>
    </message>
    <message>
        <source>After (preview)</source>
        <translation>Depois (prévia)</translation>
    </message>
    <message>
        <source>The Tavro 1 level: what the source holds now</source>
        <translation>O nível do Tavro 1: o que a origem contém agora</translation>
    </message>
    <message>
        <source>The Tavro 2 result: the level the target holds since the conversion</source>
        <translation>O resultado no Tavro 2: o nível que o destino contém desde a conversão</translation>
    </message>
    <message>
        <source>The Tavro 2 result: what the target will hold once you press Converter (nothing is written yet)</source>
        <translation>O resultado no Tavro 2: o que o destino vai conter quando você clicar em Converter (nada foi gravado ainda)</translation>
    </message>
    <message>
        <source>full size</source>
        <translation>tamanho real</translation>
    </message>
    <message>
        <source>Preview of %1</source>
        <translation>Prévia de %1</translation>
    </message>
    <message>
        <source>The level is %1 × %2 pixels, drawn at 1:%3.</source>
        <translation>O nível tem %1 × %2 pixels, desenhado em 1:%3.</translation>
    </message>
    <message numerus="yes">
        <source>(%n in the background)</source>
        <translation>
            <numerusform>(%n no fundo)</numerusform>
            <numerusform>(%n no fundo)</numerusform>
        </translation>
    </message>
    <message>
        <source>About tavro-conversor</source>
        <translation>Sobre o tavro-conversor</translation>
    </message>
    <message>
        <source>Carries the level of a Tavro 1 save state into a Tavro 2 save state.
Opens the window; SOURCE and TARGET, when given, are chosen in it as if picked in its dialogs (the desktop&apos;s &quot;Open with&quot; passes them).</source>
        <translation>Leva o nível de um save state do Tavro 1 para um save state do Tavro 2.
Abre a janela; SOURCE e TARGET, quando dados, já vêm escolhidos nela, como se escolhidos nas caixas de diálogo (o &quot;Abrir com&quot; da área de trabalho os passa).</translation>
    </message>
    <message>
        <source>tavro-conversor: at most two files: the Tavro 1 save state, then the Tavro 2 save state.</source>
        <translation>tavro-conversor: no máximo dois arquivos: o save state do Tavro 1 e depois o do Tavro 2.</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>Mostra a versão.</translation>
    </message>
    <message>
        <source>The Tavro 1 save state to read.</source>
        <translation>O save state do Tavro 1 a ler.</translation>
    </message>
    <message>
        <source>The Tavro 2 save state to patch (created if missing).</source>
        <translation>O save state do Tavro 2 a modificar (criado se não existir).</translation>
    </message>
    <message numerus="yes">
        <source>shown %n time(s) smaller</source>
        <translation>
            <numerusform>%n vez menor</numerusform>
            <numerusform>%n vezes menor</numerusform>
        </translation>
    </message>
    <message>
        <source>A preview of the conversion, nothing written yet: the cells said to have arrived empty are those that would.</source>
        <translation>Uma prévia da conversão, nada foi gravado ainda: as células ditas vazias são as que chegariam vazias.</translation>
    </message>
    <message numerus="yes">
        <source>%n cell(s) did not fit in the chunks and arrive empty.</source>
        <translation>
            <numerusform>%n célula não coube nos chunks e chega vazia.</numerusform>
            <numerusform>%n células não couberam nos chunks e chegam vazias.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n cell(s) name Tavro 1 chunks 64 and above, which only packing carries: Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3.</source>
        <translation>
            <numerusform>%n célula usa um chunk 64 ou acima do Tavro 1, que só a compactação leva: o chunk k do Tavro 1 vira os chunks 4k a 4k+3 do Tavro 2.</numerusform>
            <numerusform>%n células usam chunks 64 em diante do Tavro 1, que só a compactação leva: o chunk k do Tavro 1 vira os chunks 4k a 4k+3 do Tavro 2.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of its %2 cells that name a chunk name one whose bytes would lie over the cells or the block table</source>
        <translation>%1 das suas %2 células que indicam um chunk indicam um cujos bytes ficariam sobre as células ou a tabela de blocos</translation>
    </message>
    <message>
        <source>%1 does not hold a Tavro 1 level: is it a Tavro 2 save state?</source>
        <translation>%1 não contém um nível do Tavro 1: é um save state do Tavro 2?</translation>
    </message>
    <message>
        <source>Not converted. Press Swap files, or choose the Tavro 1 save state again.</source>
        <translation>Não convertido. Clique em Trocar arquivos ou escolha outro arquivo.</translation>
    </message>
    <message>
        <source>Not converted. Choose a Tavro 1 save state that holds a level.</source>
        <translation>Não convertido. Escolha um save state do Tavro 1 que contenha um nível.</translation>
    </message>
    <message>
        <source>Swap files</source>
        <translation>Trocar arquivos</translation>
    </message>
    <message>
        <source>Take the chosen Tavro 2 save state as the Tavro 1 one and the other way round</source>
        <translation>Usar o save state do Tavro 2 escolhido como o do Tavro 1, e vice-versa</translation>
    </message>
    <message>
        <source>Tavro 1 Save State: choose the Tavro 1 save state to read (or drop it here)</source>
        <translation>Tavro 1 Save State: escolha o save state do Tavro 1 a ler (ou solte-o aqui)</translation>
    </message>
    <message>
        <source>Tavro 2 / 2 B Savestate: choose the save state of Tavro 2 or Tavro 2 B to patch (or drop it here)</source>
        <translation>Tavro 2 / 2 B Savestate: escolha o save state do Tavro 2 ou do Tavro 2 B a modificar (ou solte-o aqui)</translation>
    </message>
    <message>
        <source>Converter (convert): carry the Tavro 1 level into the Tavro 2 save state</source>
        <translation>Converter: levar o nível do Tavro 1 para o save state do Tavro 2</translation>
    </message>
    <message>
        <source>Programação (programming): who wrote the program</source>
        <translation>Programação: quem escreveu o programa</translation>
    </message>
    <message>
        <source>Number the Tavro 2 chunks afresh, so that cells naming Tavro 1 chunks 64 and above arrive too. Without it, Tavro 1 chunk k becomes Tavro 2 chunks 4k to 4k+3, which holds chunks 1 to 63 only.</source>
        <translation>Numera de novo os chunks do Tavro 2, para que as células que usam os chunks 64 em diante do Tavro 1 também cheguem. Sem isso, o chunk k do Tavro 1 vira os chunks 4k a 4k+3 do Tavro 2, o que comporta só os chunks 1 a 63.</translation>
    </message>
    <message>
        <source>Convert with packed chunks, which carries chunks 64 and above too. Tick the Pack box first to see its preview.</source>
        <translation>Converte com os chunks compactados, o que leva também os chunks 64 em diante. Marque antes a caixa Compactar para ver a prévia.</translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) would arrive empty</source>
        <translation>
            <numerusform>⚠ %n célula chegaria vazia</numerusform>
            <numerusform>⚠ %n células chegariam vazias</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) arrived empty</source>
        <translation>
            <numerusform>⚠ %n célula chegou vazia</numerusform>
            <numerusform>⚠ %n células chegaram vazias</numerusform>
        </translation>
    </message>
    <message>
        <source>How to convert a level</source>
        <translation>Como converter um nível</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Record the two save states.&lt;/b&gt; In Tavro 1, stand in the level you want and save a state (the emulator&apos;s save state, not the game&apos;s own save). In Tavro 2 or Tavro 2 B, save a state in any level: its level is what is replaced.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Choose them.&lt;/b&gt; Tavro 1 Save State chooses the first, Tavro 2 / 2 B Savestate the second; Converter carries the level across. Every other byte of the Tavro 2 save state is kept.&lt;/p&gt;&lt;p&gt;&lt;b&gt;The picture&lt;/b&gt; shows the Tavro 1 level (Before) and what the Tavro 2 save state will hold (After, a preview until you convert). Cells marked in red arrive empty: Convert packed carries them. Click the picture for a larger view.&lt;/p&gt;&lt;p&gt;&lt;b&gt;The backup:&lt;/b&gt; with Keep a backup ticked, the previous contents stay beside the Tavro 2 save state, under its name with .bak added. Undo (Ctrl+Z) puts the file back as it was.&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Grave os dois save states.&lt;/b&gt; No Tavro 1, fique no nível que você quer e salve um estado (o save state do emulador, não o salvamento do próprio jogo). No Tavro 2 ou Tavro 2 B, salve um estado em qualquer nível: é o nível dele que será substituído.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Escolha-os.&lt;/b&gt; Tavro 1 Save State escolhe o primeiro, Tavro 2 / 2 B Savestate o segundo; Converter leva o nível. Todos os outros bytes do save state do Tavro 2 são mantidos.&lt;/p&gt;&lt;p&gt;&lt;b&gt;A imagem&lt;/b&gt; mostra o nível do Tavro 1 (Antes) e o que o save state do Tavro 2 vai conter (Depois, uma prévia até você converter). As células marcadas em vermelho chegam vazias: Compactar as leva. Clique na imagem para ver maior.&lt;/p&gt;&lt;p&gt;&lt;b&gt;A cópia de segurança:&lt;/b&gt; com Guardar cópia marcado, o conteúdo anterior fica ao lado do save state do Tavro 2, com .bak acrescentado ao nome. Desfazer (Ctrl+Z) devolve o arquivo ao que era.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Sobre</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;tavro-conversor %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Carries the level of a Tavro 1 save state into a Tavro 2 save state.&lt;/p&gt;&lt;p&gt;Free software under the MIT licence: you may use, copy, change and share it; it comes with no warranty.&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;tavro-conversor %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Leva o nível de um save state do Tavro 1 para um save state do Tavro 2.&lt;/p&gt;&lt;p&gt;Software livre sob a licença MIT: você pode usar, copiar, modificar e distribuir; vem sem garantia.&lt;/p&gt;</translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) would arrive empty (in red): Convert packed carries the whole level.</source>
        <translation>
            <numerusform>⚠ %n célula chegaria vazia (em vermelho): Compactar leva o nível inteiro.</numerusform>
            <numerusform>⚠ %n células chegariam vazias (em vermelho): Compactar leva o nível inteiro.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) would arrive empty (in red). Ready: press Converter.</source>
        <translation>
            <numerusform>⚠ %n célula chegaria vazia (em vermelho). Pronto: clique em Converter.</numerusform>
            <numerusform>⚠ %n células chegariam vazias (em vermelho). Pronto: clique em Converter.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 looks like a Tavro 2 save state: are the two files swapped?</source>
        <translation>%1 parece um save state do Tavro 2: os arquivos estão trocados?</translation>
    </message>
    <message numerus="yes">
        <source>⚠ %n cell(s) arrived empty.</source>
        <translation>
            <numerusform>⚠ %n célula chegou vazia.</numerusform>
            <numerusform>⚠ %n células chegaram vazias.</numerusform>
        </translation>
    </message>
    <message>
        <source>Created: the level only, not a whole save state to load.</source>
        <translation>Criado: só o nível, não um save state para carregar.</translation>
    </message>
    <message>
        <source>Packing stays on: untick the box to stop it.</source>
        <translation>Compactação ligada: desmarque a caixa para parar.</translation>
    </message>
    <message>
        <source>the file chosen as %1 is not one</source>
        <translation>o arquivo escolhido como %1 não é um</translation>
    </message>
    <message>
        <source>Its backup %1 was removed.</source>
        <translation>O backup %1 foi removido.</translation>
    </message>
    <message>
        <source>Its backups %1 were removed.</source>
        <translation>Os backups %1 foram removidos.</translation>
    </message>
    <message>
        <source>Its backup %1 was kept (changed since, or it could not be removed).</source>
        <translation>O backup %1 foi mantido (mudou desde então, ou não pôde ser removido).</translation>
    </message>
    <message>
        <source>Its backups %1 were kept (changed since, or they could not be removed).</source>
        <translation>Os backups %1 foram mantidos (mudaram desde então, ou não puderam ser removidos).</translation>
    </message>
    <message>
        <source>The contents before both conversions are in %1.</source>
        <translation>O conteúdo de antes das duas conversões está em %1.</translation>
    </message>
    <message>
        <source>its owner (user %1, group %2) could not be kept: this file system cannot keep owners</source>
        <translation>não foi possível manter o dono (usuário %1, grupo %2): este sistema de arquivos não guarda donos</translation>
    </message>
    <message>
        <source>it is also %1, %2: one file cannot be both the source and the target</source>
        <translation>é também %1, %2: um arquivo não pode ser ao mesmo tempo a origem e o destino</translation>
    </message>
    <message>
        <source>it does not hold a Tavro 1 level: %1</source>
        <translation>não contém um nível do Tavro 1: %1</translation>
    </message>
    <message>
        <source>it is not a Tavro 2 save state: %1; nothing was written</source>
        <translation>não é um save state do Tavro 2: %1; nada foi gravado</translation>
    </message>
    <message>
        <source>the new file would not keep its permission bits %1 (it shows %2); nothing was written</source>
        <translation>o arquivo novo não manteria os bits de permissão %1 (mostra %2); nada foi gravado</translation>
    </message>
    <message>
        <source>a replacement that was interrupted (a card pulled out?) left a copy of its previous state in %1; the file at its name is whole (the previous state or the converted one): delete %1 (or keep it elsewhere) and try again; nothing was written</source>
        <translation>uma substituição interrompida (um cartão retirado?) deixou uma cópia do estado anterior em %1; o arquivo com o nome dele está inteiro (o estado anterior ou o convertido): apague %1 (ou guarde-o em outro lugar) e tente de novo; nada foi gravado</translation>
    </message>
    <message>
        <source>nothing is at its name: a replacement that was interrupted (a card pulled out?) left its previous state in %1 (and the new one, if it was complete, in a hidden .NAME.tavro-XXXXXX beside it); rename %1 back to its name and try again; nothing was written</source>
        <translation>não há nada com o nome dele: uma substituição interrompida (um cartão retirado?) deixou o estado anterior em %1 (e o novo, se estava completo, num .NOME.tavro-XXXXXX oculto ao lado); renomeie %1 de volta ao nome dele e tente de novo; nada foi gravado</translation>
    </message>
    <message>
        <source>its layout names no chunk holding a level&apos;s data</source>
        <translation>o layout dele não indica nenhum chunk com dados de um nível</translation>
    </message>
    <message>
        <source>it reads as a Tavro 1 save state</source>
        <translation>ele se lê como um save state do Tavro 1</translation>
    </message>
    <message>
        <source>it reads as a Tavro 2 save state</source>
        <translation>ele se lê como um save state do Tavro 2</translation>
    </message>
    <message>
        <source>it is a PNG picture</source>
        <translation>é uma imagem PNG</translation>
    </message>
    <message>
        <source>it looks like text</source>
        <translation>parece ser texto</translation>
    </message>
    <message>
        <source>it holds almost only zeros: no save state at all</source>
        <translation>contém quase só zeros: não é save state nenhum</translation>
    </message>
    <message>
        <source>it holds no level of either game</source>
        <translation>não contém nível de nenhum dos dois jogos</translation>
    </message>
    <message>
        <source>Not converted. Choose a Tavro 2 save state the emulator saved.</source>
        <translation>Não convertido. Escolha um save state do Tavro 2 que o emulador gravou.</translation>
    </message>
    <message>
        <source>Converting writes the Tavro 1 level over the bytes where a Tavro 2 state keeps its level. Convert anyway?</source>
        <translation>A conversão grava o nível do Tavro 1 sobre os bytes onde um save state do Tavro 2 guarda o nível dele. Converter assim mesmo?</translation>
    </message>
    <message>
        <source>Before replacing the Tavro 2 save state, keep its previous contents beside it in a new file, its name with .bak added (.bak.2, .bak.3… when that is taken): no backup replaces another</source>
        <translation>Antes de substituir o save state do Tavro 2, guarda o conteúdo anterior ao lado dele num arquivo novo, com .bak acrescentado ao nome (.bak.2, .bak.3… quando esse já existe): nenhum backup substitui outro</translation>
    </message>
</context>
</TS>
